// The version of an application's definition, "vv.rr.mm": version, release and
// modification, two decimal digits each. A new application starts at 03.00.00; the
// release goes into every table name, so a release change gives the application new
// tables, while a modification keeps them.
#pragma once

// The release "rr" (characters 3 and 4), as far as the version goes.
void releaseOfVersion(const char* version, char (&release)[3]);

// Raises the modification ('M') or the release ('R') part of oldVersion into newVersion
// (room for 9): a part that is not two digits goes on from 49; a part that would reach
// 99 is refused. 0 done (also for another letter, which changes nothing); 1 refused
// (traced), newVersion untouched.
int raiseVersion(const char* oldVersion, char* newVersion, char changeType);
