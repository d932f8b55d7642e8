// The command's process tree: a job that holds the module and everything
// the command starts, so that a wait covers what a setup program hands
// over to.
#pragma once

#include <windows.h>

// Puts the module in a job of its own, once, before a command it waits for
// starts. Every process started from then on is in the job from its
// creation (through the shell too, which has no suspended start), unless
// it asks to break away, which the job allows; the job ends nothing when
// the module ends. FALSE, nothing changed, where the job can't be used:
// the module runs in a job that lets nothing break away or lets
// everything go silently, or that takes no nested job.
BOOL JoinCommandTree(void);

// Returns once every process of the job but the module has ended; at once
// where the module joined none.
void WaitForCommandTree(void);
