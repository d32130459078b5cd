#pragma once
// The real message box of a window program.

// Makes ShowMessage show a QMessageBox (unless a test has set a handler).
void UseQtMessageBoxes();
