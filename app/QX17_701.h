// The console run: the utility's one fixed job, start to finish.
#pragma once

namespace QX17_701 {

// Runs the job and returns the process exit code: 0 at every normal end, whatever the instrument
// answered; nonzero only when the console itself fails.
int Run();

}  // namespace QX17_701
