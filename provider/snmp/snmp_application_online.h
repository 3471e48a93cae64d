// Every table of an SNMP application is put online with the DCH once it is loaded,
// and taken offline when it is deleted, by the SNMP data provider alone.
#pragma once

struct ApplicationEntry;
struct DPAB;

// Each source, table by table, goes Ready and is queued to the DCH and waited for;
// the tables are taken in order up to the first with fewer than three attributes.
// Nothing ("bypassed") for another data-provider type or a non-SNMP application.
void ZEVP_SNMPapplOnline(DPAB* anchor, ApplicationEntry* application);
// Each source of every table goes Inactive, likewise.
void ZEVP_SNMPapplOffline(DPAB* anchor, ApplicationEntry* application);
