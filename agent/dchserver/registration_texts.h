// The three texts that a registration builds for the whole application, one
// group after the other, and that consumers later ask for:
//   application information  "APPL,G1,P,300:G2,S,60:;"  (group, sample type, time-to-live)
//   attribute information    "G1,NAME,D,8:CNT,C,4:;G2,...;"  (the first three fields of each record)
//   help                     "appl help,G1,group help,<attribute help>G2,group help,<...>;"
// Each grows with its groups, however many the registration may have.
#pragma once

#include <cstdint>
#include <string>

struct RegisteredGroup {
  const char* name;
  const char* help;
  char sampleType;
  int32_t TTL;
  const char* attrRegister;   // as the request gave it
  const char* attributeHelp;  // as the store builds it from the group's attributes
};

class RegistrationTexts {
 public:
  static constexpr size_t kMaxRecord = 4095;

  RegistrationTexts(const char* applName, const char* applHelp) : applName_(applName), applHelp_(applHelp) {}

  // Appends the group's pieces to the three texts. False (traced "Error: %d > %d")
  // when a record of its register text is longer than kMaxRecord; the texts are
  // then incomplete.
  bool addGroup(const RegisteredGroup& group);
  // Ends the application information and the help with ";".
  void close();

  const std::string& applInfo() const { return applInfo_; }
  const std::string& attrInfo() const { return attrInfo_; }
  const std::string& help() const { return help_; }

 private:
  std::string applName_;
  std::string applHelp_;
  int groups_ = 0;
  std::string applInfo_;
  std::string attrInfo_;
  std::string help_;
};

// Keeps of every ';'-separated record of a register text its first three
// ','-separated fields as "name,type,length:"; records with fewer are left out.
// Empty records and fields are skipped, as the attribute parser skips them.
// False (traced) when a record is longer than RegistrationTexts::kMaxRecord.
bool reduceRegisterText(const char* attrRegister, std::string* reduced);
