// StepClock: marks where the steps inside the duplicate check begin, for the
// bench's stage table. The program sets no clock: a mark is then one load
// and one branch, a few times a run.
#pragma once

namespace StepClock {

// Hears a step's name as the step begins, on the thread that runs it.
using Mark = void (*)(const char* step);

// Sends the marks to mark from now on; null stops them.
void Set(Mark mark);
void At(const char* step);

}  // namespace StepClock
