#include "app/QX17_701.h"

// Arguments are ignored: the utility has one fixed job.
int main() {
  return QX17_701::Run();
}
