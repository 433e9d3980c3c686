// Appending the configuration script and the static rule-engine script to a matching document.
#pragma once

#include <mshtml.h>
#include <windows.h>

#include "addon/metadata/metadata_model.h"
#include "addon/metadata/settings_win.h"

// Matches the document's host against the model and, when it matches and the static script is
// not there yet, appends the configuration script and then the static script to the body.
// Every failure leaves the document as it was, except that results of the final appends and of
// the configuration element's text and type are not examined.
void InjectScripts(IHTMLDocument2* document, const Settings& settings, MetadataModel& model);
