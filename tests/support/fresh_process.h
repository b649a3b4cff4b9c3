// Product state is module-level and lives for the whole process, so a test that runs product code
// does so in a child of its own: it starts from the program-start state whatever ran before it.
#pragma once

#include <functional>

// Runs `body` in a forked child. Failures reported inside the child fail the calling test.
void InFreshProcess(const std::function<void()>& body);
