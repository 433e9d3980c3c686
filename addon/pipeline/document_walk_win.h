// Visiting a document and, depth first, every frame document inside it.
#pragma once

#include <mshtml.h>
#include <windows.h>

#include <functional>

#include "addon/win/com_ptr.h"

typedef std::function<void(IHTMLDocument2*)> DocumentAction;

// Calls action on the document, then walks frame 0 (and its frames), frame 1, ... Frames that
// cannot be fetched, are not windows or yield no document are skipped.
void WalkDocument(IHTMLDocument2* document, const DocumentAction& action);

// The frame window's document, reached through the frame's own browser when direct access is
// denied (a frame of another security domain); empty when neither way gives one.
win::ComPtr<IHTMLDocument2> DocumentFromWindow(IHTMLWindow2* window);
