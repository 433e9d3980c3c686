// The catch clauses that end every COM entry point: no exception crosses into the caller.
#pragma once

#include <new>

#define BRIMWELL_CATCH_RETURN()                            \
    catch (const std::bad_alloc&) { return E_OUTOFMEMORY; } \
    catch (...) { return E_UNEXPECTED; }
