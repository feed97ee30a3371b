// Resource identifiers of varnik.exe, shared by the resource script and the
// program. Plain preprocessor definitions, since the resource compiler reads
// this file too.
#pragma once

#define VARNIK_ICON_ID 1
