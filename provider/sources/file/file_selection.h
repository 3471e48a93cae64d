// Which file a FILE source whose name is a pattern monitors: the newest file of
// its directory that matches, or, in all-match mode, every matching file one
// after the other.
#pragma once

struct FileSpecControlBlock;

// Sets the block's CurrentSpecFileName (none when no file could be selected; on a
// change, with DP log message 76 and an identity check sum of 0). Called on the
// file server's thread, whose entry is the block's FileServer: while no file
// matches it waits, one switch-check interval at a time, until one does or the
// thread is told to end.
void ZEVP_DetermineCurrentMonitorFileName(FileSpecControlBlock* spec, int allMatch);
