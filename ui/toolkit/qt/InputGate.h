// A disabled form refuses the user's input but draws its controls as they
// are. Qt greys every child of a disabled widget, so a form's widget stays
// enabled in Qt and this gate drops the input meant for it, its child
// controls and its window.
#pragma once

class QWidget;

// Starts or stops refusing input to the top-level widget `form` and every
// widget inside it. Starting also closes the popups (an open drop-down list,
// a context menu) that its controls have open. GUI thread.
void SetInputRefused(QWidget* form, bool refused);
