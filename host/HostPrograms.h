// HostPrograms: the unit's programs as the host keeps them for program and
// bank files.
//
// The unit exchanges parameter values, not its preset list, so the host
// keeps the list itself, as a host does for such plug-ins: it starts as the
// unit's factory presets (names and exact values, read by selecting each one
// and then restoring the unit's state), a loaded bank replaces its programs,
// and a loaded program replaces the current one. Putting a program in force
// hands the unit its values and name through the class-info state. Saving
// writes the current program with the unit's current values (edits
// included); a saved bank holds the other programs as they stand in the list.
//
// One thread, like the HostUnit it works on.
#pragma once

#include <QuillPlatform.h>

#include <string>
#include <vector>

#include "host/HostUnit.h"
#include "host/ProgramFile.h"

class HostPrograms
{
public:
  // Reads the factory presets of a configured unit. False with *error set
  // when the unit does not answer as a host expects.
  bool Read(HostUnit& unit, std::string* error);

  // What files must match, from the unit's identity and parameters.
  ProgramFileIdentity Identity(HostUnit& unit) const;

  // After a saved state was applied: the unit's current preset becomes the
  // current program (its name as the unit reports it, its values current).
  void FollowUnit(HostUnit& unit);
  // Puts a parsed program file into the current program and in force (an
  // empty stored name keeps the program's name). False with *error set when
  // the unit refuses it; nothing changes then.
  bool LoadProgram(HostUnit& unit, const HostProgram& program, std::string* error);
  // Puts a parsed bank file into the list (its programs replace the first
  // ones) and the bank's current program in force; a current index outside
  // the list keeps the current program. False with *error set when the unit
  // refuses it; nothing changes then.
  bool LoadBank(HostUnit& unit, const HostBank& bank, std::string* error);
  // Puts the first program of that name in force. kUnknownName lists the
  // names.
  HostUnit::PresetResult Select(HostUnit& unit, const std::string& name, std::string* error);

  // The current program with the unit's current values.
  bool CurrentProgram(HostUnit& unit, HostProgram* out, std::string* error);
  // The whole list as a bank; with withEdits its current program holds the
  // unit's current values, else the values the list stores.
  bool Bank(HostUnit& unit, bool withEdits, HostBank* out, std::string* error);
  // The unit's class-info state under the current program's name (caller
  // releases), or null with *error set.
  CFDictionaryRef CopyClassInfo(HostUnit& unit, std::string* error);

  // Writes the current program or the bank (complete or not at all).
  bool SaveProgram(HostUnit& unit, const std::string& path, std::string* error);
  bool SaveBank(HostUnit& unit, const std::string& path, std::string* error);

  // Names in list order.
  std::vector<std::string> Names() const;
  int Current() const { return mCurrent; }

private:
  struct Entry
  {
    std::string name;
    std::vector<double> plain; // one plain value per parameter
  };
  bool Apply(HostUnit& unit, const Entry& entry, std::string* error);
  Entry FromFile(HostUnit& unit, const HostProgram& program) const;

  std::vector<Entry> mPrograms;
  int mCurrent = 0;
};

// The unit's current plain parameter values, read from its class-info
// state (exact doubles). False with *error set.
bool ReadUnitValues(HostUnit& unit, std::vector<double>* out, std::string* error);
// The unit's current preset number, or -1.
int CurrentPresetNumber(HostUnit& unit);
