// What a management-server request on a user table asks for, by its situation name, its
// sample type and its instructions.
#pragma once

enum requestKind {
  kPolledSituation = 1,    // a situation, sample type 1
  kEventSituation = 2,     // a situation, sample type 4
  kSituationCurrent = 3,   // a situation's current attributes, sample type 3
  kReport = 4,             // no situation, sample type 3
  kHistory = 5,            // no situation, instructions holding "HIST("
  kPeriodicReport = 6,     // no situation, sample type 1
  kUnrecognised = 9,
};

// situation: null or empty for none; instructions: null for none.
requestKind requestKindOf(const char* situation, int sampleType, const char* instructions);
