#pragma once

// Whether the window has a desktop session to open on.
//
// Without one, Qt aborts while it builds the application object and prints an English note about
// reinstalling. The window program asks first: with no display (neither DISPLAY nor
// WAYLAND_DISPLAY) and no platform named in QT_QPA_PLATFORM, it says in Spanish that it needs a
// desktop session and that `--reporte` runs without one, shows the help, and ends with code 2. A
// display that is named but does not answer is only found out by Qt itself: while a
// GuardiaEscritorio lives, Qt's fatal failure to start its platform ends the process with the same
// message and code.

// The exit code of a window program started without a desktop session.
inline constexpr int SalidaSinEscritorio = 2;

// False, with the message written to the standard error, when there is no session to open on.
bool HayEscritorio();

// Turns the platform's failure to start into the message above; one at a time, around the
// construction of the application object.
class GuardiaEscritorio {
public:
    GuardiaEscritorio();
    ~GuardiaEscritorio();
    GuardiaEscritorio(const GuardiaEscritorio&) = delete;
    GuardiaEscritorio& operator=(const GuardiaEscritorio&) = delete;
};
