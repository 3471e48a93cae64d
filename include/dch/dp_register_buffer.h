// What the DCH client's register verb asks of the data-provider engine (libzevp350), which
// the channel library does not link: the library leaves the function to the program.
#pragma once

// Builds, from the application model of the metafile, the whole register request (0x1010) in
// one storage block (ZEV0_GetStorage) whose address goes to *body; the caller frees it with
// ZEV0_FreeStorage. Result: the request's total length, or 0 when the metafile gave no model
// or no request could be formatted (*body is then left as it was).
int ZEVP_ConstructDPregisterBuffer(const char* metafileName, char** body);
