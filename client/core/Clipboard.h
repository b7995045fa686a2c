#pragma once

// The desktop clipboard as the program uses it: text only, and always the
// clipboard proper. A text window that copies its selection switches the
// toolkit to the primary selection and leaves it there, so every use here
// names the clipboard again.

#include "foundation/String.h"

// Puts text on the clipboard, kept for other programs after this one ends
// where the desktop keeps clipboards at all; false when it cannot be opened.
bool PutClipboardText(const Zorlin::CString& text);

// The clipboard's text; empty when it holds none or cannot be opened.
Zorlin::CString ClipboardText();

// Whether the clipboard offers text.
bool ClipboardHasText();
