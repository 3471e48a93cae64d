// The work directory and product specification of a test program: a scratch directory
// of its own (ZEV_WORK_PATH), removed at the end, and the product specification of the
// default product. Both are settled once per process, so a case that needs another
// product specification runs in a child process (UseProductSpecification).
#pragma once

#include <string>
#include <vector>

// The scratch work directory, ending in "/"; the first call makes it and reads the
// product specification.
const std::string& DefinitionWorkDirectory();

// In a fresh (child) process: the scratch directory with a product specification of
// these records ("KEYWORD=value"), read. False when the reader refused it.
bool UseProductSpecification(const std::vector<std::string>& records);

// A file of the work directory, whole; empty when there is none.
std::string ReadWorkFile(const std::string& name);
void WriteWorkFile(const std::string& name, const std::string& content);
void RemoveWorkFile(const std::string& name);
