#pragma once

class SessionLog;
struct Stores;

// The stores' part of the exit, kept apart from the main window so that it runs (and is
// tested) without one. Each step logs its error and the next one runs: the session is
// rotated even when an earlier store fails.

// Before the windows close: saved form values left empty go (they cannot fill a form), the
// favorites trash is emptied.
void PrepareStoresForExit(Stores &stores);

// Once the windows have closed: favorites saved and closed, the forms and saved-files stores
// closed, history trimmed to its newest 600 and saved (when it is kept), the session's last
// changes written, the past session kept among the earlier ones, and the session rotated.
void CloseStoresAtExit(Stores &stores, bool keepHistory, SessionLog *session);
