#pragma once

/// Whether the desktop session that the environment names can be reached now. A window program
/// asks before it builds its application object: Qt ends the process when its display is gone.
namespace DisplayServer {

/// True when QT_QPA_PLATFORM names a platform of Qt's own, when the Wayland socket or the local
/// X server socket of DISPLAY accepts a connection, or when DISPLAY names a remote host (which
/// only a connection attempt by Qt itself can tell). False when nothing is named or reachable.
bool reachable();

} // namespace DisplayServer
