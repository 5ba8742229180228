#pragma once
// The windows never call one another: each says by a signal what the others must follow, and
// these connect them. The program and the window tests wire them here, the same way.
class TMainForm;
class TOptionsForm;
class TProjectForm;

// "Options" shows the window; a device notice's units activate it again; its data buffer
// choice sets the run controls; its "Debug" loop presses "Run Program"; its close gives the
// main window its input back.
void ConnectOptionsWindow(TMainForm& main, TOptionsForm& options);
// "Project" shows the window; a device notice's units activate it again; its close gives the
// main window its input back. Its loads reach both windows through the run session.
void ConnectProjectWindow(TMainForm& main, TProjectForm& project);
