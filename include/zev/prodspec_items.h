// The items of the product specification, by the number with which
// ZEV0_QueryProductSpec asks for them.
#pragma once

enum ZEV2_ProdSpecItem : int {
  ZEV2_PACKAGED_PRODUCT = 0,  // "Y" for every product code other than "EV"; not in the file
  ZEV2_PRODUCT_CODE = 1,
  ZEV2_NODE_TYPE = 2,
  ZEV2_PRODUCT_NAME = 3,
  ZEV2_AGENT_AFF_NAME = 4,
  ZEV2_AGENT_AFF_STRING = 5,  // the 43-character code of item 4; not in the file
  ZEV2_SUBNODE_AFF_NAME = 6,
  ZEV2_SUBNODE_AFF_STRING = 7,  // the 43-character code of item 6; not in the file
  ZEV2_SUBNODE_AFF_FEAT = 8,    // 11 characters
  ZEV2_REGISTER_DVAGENT = 9,
  ZEV2_ENABLE_SNMP_TRAP = 10,
  ZEV2_ENABLE_SNMP_DISCOVERY = 11,
  ZEV2_ENABLE_SNMP_MIBSTATUS = 12,
  ZEV2_ENABLE_PLOVENAGENT_DISCOVERY = 13,
  ZEV2_ENABLE_DISCOVERY_DATA_UPDATE = 14,
  ZEV2_ENABLE_DPLOG = 15,
  ZEV2_ENABLE_METAFILE_COMMANDS = 16,
  ZEV2_MANAGED_NETWORK_MS = 17,
  ZEV2_DP_TO_START = 18,  // comma-separated data-provider type numbers once read
  ZEV2_METAFILES_TO_LOAD = 19,
  ZEV2_SNMP_HOTLIST_TO_LOAD = 20,
  ZEV2_SNMP_HOTLIST_TABLENAME = 21,
  ZEV2_DCH_PORT_NUMBER = 22,
  ZEV2_DP_PORT_OFFSET = 23,
  ZEV2_INITCNFG_FILENAME = 24,
  ZEV2_TRAPCNFG_FILENAME = 25,
  ZEV2_SNMPCOMM_FILENAME = 26,
  ZEV2_SNMPLIST_FILENAME = 27,
  ZEV2_SNMPNAME_FILENAME = 28,
  ZEV2_SNMPNETS_FILENAME = 29,
  ZEV2_SNMPROUT_FILENAME = 30,
  ZEV2_SNMPMIBI_FILENAME = 31,
  ZEV2_ZEVATBLS_FILENAME = 32,
  ZEV2_ZEVPURLS_FILENAME = 33,
};

// Items 0 to 33 are used; ZEV0_QueryProductSpec also accepts this number and
// answers null for it.
constexpr int ZEV2_PRODSPEC_ITEM_COUNT = 34;
