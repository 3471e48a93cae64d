// One attribute of a source's attribute list. The value area follows the entry
// in the same allocation: MaxValSize bytes and a terminating zero.
#pragma once

#include <cstdint>

#include "model_limits.h"

struct SourceEntry;

// Attribute type letters.
constexpr char ZEVP_ATTR_DISPLAY = 'D';
constexpr char ZEVP_ATTR_NUMERIC_TEXT = 'N';
constexpr char ZEVP_ATTR_RECORD = 'R';
constexpr char ZEVP_ATTR_OBJECT = 'O';
constexpr char ZEVP_ATTR_LAST = 'Z';
constexpr char ZEVP_ATTR_SKIP = 'K';
constexpr char ZEVP_ATTR_TIME = 'T';
constexpr char ZEVP_ATTR_SWITCH = 'S';
constexpr char ZEVP_ATTR_RATE_CHANGE = '?';
constexpr char ZEVP_ATTR_RATE_DELTA = '#';
constexpr char ZEVP_ATTR_RATE_PERCENT = '%';
constexpr char ZEVP_ATTR_GAUGE = 'G';
constexpr char ZEVP_ATTR_COUNTER = 'C';
constexpr char ZEVP_ATTR_AVERAGE = 'A';
constexpr char ZEVP_ATTR_SHORT = 'I';  // stored as G
constexpr char ZEVP_ATTR_LONG = 'L';   // stored as G

// Filter term kinds.
constexpr char ZEVP_FILTER_SCAN = 'S';
constexpr char ZEVP_FILTER_MATCH = 'M';
constexpr char ZEVP_FILTER_EQUAL = 'N';
constexpr char ZEVP_FILTER_GREATER = '>';
constexpr char ZEVP_FILTER_LESS = '<';
constexpr char ZEVP_FILTER_GREATER_EQUAL = 'G';
constexpr char ZEVP_FILTER_LESS_EQUAL = 'L';

struct AttributeFilterTerm {
  char Kind;
  int32_t Offset;
  int32_t CompareNumber;  // NUMBER terms
  char* CompareString;    // SCAN and MATCH terms, owned by the term
};

struct AttributeEntry {
  AttributeEntry* next;            // definition order
  AttributeEntry* NextInSequence;  // output and summary order
  // Set on the first entry of a copied list only: the next copy of the same
  // source's list (the key lists of a key data group).
  AttributeEntry* NextCopiedList;

  char AttrName[ZEVP_ATTR_NAME_MAX + 1];
  char AttrType;         // I and L are stored as G
  uint16_t MaxValSize;   // bytes of the value area
  uint16_t ActualValSize;  // bytes loaded for the current record
  int32_t MaxSize;       // numeric types: the maximum value; text types: the size word as given

  int32_t AttrKey;
  int32_t Atomic;
  int32_t AttrAccessible;  // takes a place in the row
  int32_t LeftTruncate;    // a text too long keeps its rightmost characters
  int32_t Real;            // derived attributes shown as a real number
  int32_t SendFlag;

  int64_t CreationTime;  // seconds; also the first previous time of a rate
  int64_t PreviousTime;
  double PreviousValue;  // ZEVP_FIRST_SAMPLE_MARKER until the first sample

  int32_t OrderSequence;  // SEQ=, 0 when none
  int32_t AttrSortKey;    // SKEY=: above 0 a key, -1 a total
  char DelimiterOverride[3];  // DLM=: none, one character, or a begin and an end character
  char* Enumeration;          // ENUM{...}, owned

  // Formula operands. For a formula of two attributes both are attributes of the
  // same list; for a derived function AttrOper1 is the function's entry in
  // DerivedFunctionName (ZEVP_IsDeriveFunction tells which) and AttrOper2 the
  // attribute whose value is converted.
  const void* AttrOper1;
  AttributeEntry* AttrOper2;
  char AttrOperator;  // + - * / % =

  char* AttrOIDstring;  // SNMP attributes, owned
  char* AttrOID;        // encoded, owned
  int32_t AttrOIDlength;

  const char* HelpText;  // a place in the group's help buffer, or null

  int32_t FilterAccept;  // 1 accept (+FILTER), 0 reject (-FILTER)
  char FilterLogic;      // '&', '|', or a blank until a logic word is read
  int32_t FilterTermCount;
  AttributeFilterTerm FilterTerms[ZEVP_FILTER_TERMS_MAX];

  char* Value() { return reinterpret_cast<char*>(this + 1); }
  const char* Value() const { return reinterpret_cast<const char*>(this + 1); }
};

// The bytes of one attribute allocation with its value area.
inline int32_t ZEVP_AttributeEntrySize(int32_t maxValSize) {
  return static_cast<int32_t>(sizeof(AttributeEntry)) + maxValSize + 1;
}

// The formula operand as an attribute, or null when it is a derived function.
AttributeEntry* ZEVP_OperandAttribute(const void* operand);

// Appends a new attribute to the source's list, or returns null after a
// validation message (or an error trace when storage ran out). typeWord is the
// type word as written (its second letter L asks for left truncation); sizeWord,
// help and filter may be null.
AttributeEntry* ZEVP_InitializeAttrEntry(SourceEntry* source, const char* name, const char* typeWord,
                                         const char* sizeWord, int keyFlag, int atomicFlag, const char* help,
                                         const char* filter);
