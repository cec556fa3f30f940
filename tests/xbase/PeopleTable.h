// A small table on disk for the tests of orders, seeks, expressions and filters through work
// areas, with walks that list where navigation goes.
#pragma once

#include <string>
#include <vector>

#include "tests/xbase/TableTestUtil.h"
#include "xbase/WorkAreaSet.h"

namespace tavrik::xbase::testing {

using TRecnos = std::vector<int>;

inline const char* kPeopleTableFields = "NAME,C,10,0;CITY,C,8,0;AMOUNT,N,8,2;BORN,D,8,0;ACTIVE,L,1,0";

struct TPerson {
  const char* name;
  const char* city;
  const char* amount;
  const char* born;
  const char* active;
};

// Records 1 to 6, in this order.
inline const std::vector<TPerson>& People() {
  static const std::vector<TPerson> people = {
      {"Smith", "Utrecht", "100", "19850704", "T"},  //
      {"Jones", "Delft", "50", "19900101", "F"},     //
      {"Brown", "Utrecht", "250", "19700315", "T"},  //
      {"smith", "Leiden", "75", "", "T"},            //
      {"Adams", "Delft", "100", "20000229", "F"},    //
      {"Jones", "Utrecht", "10", "19851231", "T"},   //
  };
  return people;
}

// Appends one record to the current work area and lets go of its lock.
inline void AddPerson(TWorkAreaSet& set, const TPerson& p) {
  set.AppendBlank();
  set.Replace("NAME", rtText, p.name);
  set.Replace("CITY", rtText, p.city);
  set.Replace("AMOUNT", rtValueText, p.amount);
  set.Replace("BORN", rtText, p.born);
  set.Replace("ACTIVE", rtText, p.active);
  set.Unlock(0);
}

// Creates PEOPLE.DBF with the six people and returns its path.
inline std::string MakePeople(const tavrik::testing::TempDir& dir) {
  const std::string path = MakeTable(dir, "PEOPLE.DBF", kPeopleTableFields, 2);
  TWorkAreaSet set;
  set.Use(path, "", 0, 2, 1);
  for (const TPerson& p : People()) AddPerson(set, p);
  set.Close();
  return path;
}

// The records navigation visits from the top down, and from the bottom up (listed top down).
inline TRecnos Walk(TWorkAreaSet& set) {
  TRecnos out;
  for (set.GoTop(); !set.Eof() && out.size() < 1000; set.Skip(1)) out.push_back(set.RecNo());
  return out;
}

inline TRecnos WalkBack(TWorkAreaSet& set) {
  TRecnos out;
  set.GoBottom();
  if (set.Eof()) return out;
  do {
    out.insert(out.begin(), set.RecNo());
    set.Skip(-1);
  } while (!set.Bof() && out.size() < 1000);
  return out;
}

}  // namespace tavrik::xbase::testing
