// Attributes whose value is computed from other attributes of the same list: a
// formula of two Display attributes joins their texts while a record is split,
// and a derived function converts the value of one attribute (a time text, an IP
// address, a NetWare time, a UTC time integer). Arithmetic formulas are computed
// when the row is sent.
#pragma once

struct AttributeEntry;

// Fills a formula attribute (both operands set) as the split passes it: a
// derived function, or two Display operands joined; other formulas are left.
void DoSpecialDerivedAttribute(AttributeEntry* attribute);

// Computes a derived-function attribute from the loaded value of its second
// operand. An operand without a value, or an unknown function, leaves the
// attribute as it is. Results longer than the attribute's size are cut.
void ZEVP_PerformDeriveAttrFunction(AttributeEntry* attribute);
