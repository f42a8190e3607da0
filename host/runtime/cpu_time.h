// The processor time this process has used, in all its threads: what a
// computation costs, unlike the wall clock, which grows with other work on
// the machine.
#pragma once

// Seconds of processor time since the process started.
double kfProcessCpuSeconds();
