#pragma once
// The helpers shared by the Wine tests live in the harness now.
#include "vemb_helpers.h"
