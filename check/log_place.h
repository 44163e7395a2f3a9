#pragma once

#include <string>

namespace check {

// The user's state folder for this program by the XDG Base Directory rules:
// $XDG_STATE_HOME/sentrilo when that is an absolute path, else $HOME/.local/state/sentrilo.
// Either argument may be null (unset). Empty when no absolute home is known either.
std::string stateFolder(const char* xdgStateHome, const char* home);

// Whether the check log can stay in the application folder: a folder outside /usr that this
// user can write to, holding no snlog.html that this user cannot write.
bool logStaysIn(const std::string& applicationFolder);

// The folder the check log goes to for this run: the application folder when the log can stay
// there, else the user's state folder from the environment.
std::string chooseLogFolder(const std::string& applicationFolder);

// Creates the log's folder when it is missing, with its missing parents, each mode 0700 as the
// XDG rules ask; a folder that exists keeps its mode. Stops quietly where it cannot go on.
void makeLogFolder(const std::string& folder);

} // namespace check
