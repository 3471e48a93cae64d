// Writes a metafile whose records are stored scrambled back as readable text.
#pragma once

// Reads the metafile (a name without '/' is taken from the metafile directory)
// and writes every record after its //SNMP or //PLOVEN marker, unscrambled, to a
// text file of the same name with the extension "txt" ("out" when the metafile's
// is already "txt"); an //SNMP marker is written with TEXT. 0 when the text file
// was written or the metafile holds no marker; -1 on failure (ZEVPV95E).
int ZEVP_UnpackMetafileToText(const char* metafileName);
