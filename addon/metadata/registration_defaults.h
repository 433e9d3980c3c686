// Defaults that registration writes and a fresh installation reads: the one place for them.
// Macros of narrow string literals and numbers only, so that the resource compiler can
// include this file as well as C++ (wrap with BRIMWELL_WIDE for wide text).
#pragma once

#define BRIMWELL_WIDE2(text) L##text
#define BRIMWELL_WIDE(text) BRIMWELL_WIDE2(text)

// Registry key, below HKEY_LOCAL_MACHINE (machine-wide) and HKEY_CURRENT_USER (per user).
#define BRIMWELL_SETTINGS_KEY "Software\\Veltrane\\Brimwell"

// Host of the rule-engine service that serves the static script; administrators point
// "Zolvex Static Script" elsewhere after installation.
#define BRIMWELL_RULE_ENGINE_HOST "zolvex.veltrane.example"
#define BRIMWELL_STATIC_SCRIPT_PATH "/js/shared/zlvx-static.js"
#define BRIMWELL_DEFAULT_STATIC_SCRIPT "http://" BRIMWELL_RULE_ENGINE_HOST BRIMWELL_STATIC_SCRIPT_PATH

// Identifier of the card-selector desktop application; its folder carries the suffix ".1".
#define BRIMWELL_CARD_SELECTOR_APP_ID "com.veltrane.CardSelector"
#define BRIMWELL_DEFAULT_TRIGGER_FILE \
    BRIMWELL_CARD_SELECTOR_APP_ID ".1\\Local Store\\brimwell_refresh.trigger"

#define BRIMWELL_DEFAULT_RULE_ID "1024"
#define BRIMWELL_DEFAULT_DYNAMIC_SCRIPT "var ZLVX_config ={${1}};"
#define BRIMWELL_DEFAULT_SELECTOR_HOST "127.0.0.1"
#define BRIMWELL_DEFAULT_SELECTOR_PORT 31002
#define BRIMWELL_DEFAULT_REFRESH_INTERVAL 86400
#define BRIMWELL_CONTEXT_MENU_RESOURCE "res://%MODULE%/201"
