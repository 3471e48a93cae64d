// What the status monitor does with a source that comes online or goes offline: a new
// application gets a probe that builds its definition; once the definition is there the
// source is recorded in the sample registry and its subnode registered with the
// framework. Offline runs the road backwards: the subnode is deregistered when the
// source's last attribute group goes, and the probe ends when the application's last
// source goes.
//
// Both run on the status monitor's thread only.
#pragma once

// 0 done; a positive value on failure; -1 when the application limit refuses a new
// application. affinity: the 43-character subnode affinity.
int processOnline(const char* applName, const char* attrGroup, const char* sourceName, const char* affinity);
// 0 done (also when the application has no definition); a positive value on failure.
int processOffline(const char* applName, const char* attrGroup, const char* sourceName, const char* affinity);

// Applications whose probe has been started and not yet removed.
int numberOfApplications();
