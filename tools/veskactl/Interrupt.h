#pragma once

namespace veska::tools {

/// Installs handlers for SIGINT and SIGTERM that only note the signal (an atomic flag and
/// one byte into a self-pipe), so that a long command ends as its own stop would: the
/// sensor stopped, borrowed parameters restored, what was received written. Called once
/// by main(); without it Interrupted() stays false.
void CatchInterrupts();

/// True once SIGINT or SIGTERM came.
bool Interrupted();

/// The line the first SIGINT or SIGTERM writes to standard error at once (from the handler,
/// before the command reaches a point where it can stop); nullptr for none. The text must
/// stay valid for the process's life (a string literal).
void SetInterruptNote(const char* text);

/// Waits up to ms [ms], ending early when SIGINT or SIGTERM comes. Returns Interrupted().
bool WaitUnlessInterrupted(int ms);

}  // namespace veska::tools
