// An in-memory registry: hierarchical keys whose names compare without regard to case, typed
// values, and a record of every key opened (with its access mask) and every value written.
// It can be told to fail the writes of a value name or the opening of a key.
// Safe for use from any thread.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "corvale/platform/registry.h"

namespace corvale::testing {

class CallJournal;

class FakeRegistry : public Registry {
 public:
  struct OpenCall {
    RegistryHive hive;
    std::string path;
    uint32_t access;
    bool create;
    bool opened;
  };
  struct WriteCall {
    RegistryHive hive;
    std::string path;
    std::string name;
    std::optional<RegistryValue> value;  // empty for a deletion
    bool ok;
  };

  FakeRegistry();
  ~FakeRegistry() override;

  // Set-up; missing keys on the way are created.
  void CreateKey(RegistryHive hive, const std::string& path);
  void PutString(RegistryHive hive, const std::string& path, const std::string& name,
                 const std::string& text);
  void PutExpandString(RegistryHive hive, const std::string& path, const std::string& name,
                       const std::string& text);
  void PutDword(RegistryHive hive, const std::string& path, const std::string& name,
                uint32_t value);
  // A value of a type the program does not use (REG_BINARY, say).
  void PutOther(RegistryHive hive, const std::string& path, const std::string& name);

  // Inspection.
  bool KeyExists(RegistryHive hive, const std::string& path) const;
  std::optional<RegistryValue> Value(RegistryHive hive, const std::string& path,
                                     const std::string& name) const;
  std::vector<std::string> ValueNames(RegistryHive hive, const std::string& path) const;
  std::vector<std::string> SubKeys(RegistryHive hive, const std::string& path) const;
  std::vector<OpenCall> Opens() const;
  std::vector<WriteCall> Writes() const;
  // Writes (and deletions) below `path` (the key itself or its subkeys), ignoring case.
  std::vector<WriteCall> WritesUnder(RegistryHive hive, const std::string& path) const;
  void ClearRecords();
  // Forgets every key, value, record and failure.
  void Reset();

  // Failures.
  void FailWritesOf(const std::string& value_name);
  void FailOpenOf(RegistryHive hive, const std::string& path);

  // Writes and deletions are also added to the journal as "registry set HKCU\<path>\<name>" and
  // "registry delete HKLM\<path>\<name>".
  void SetJournal(CallJournal* journal) { journal_ = journal; }

  std::unique_ptr<RegistryKey> OpenKey(RegistryHive hive, const std::string& path, uint32_t access,
                                       bool create) override;

  static std::string HiveName(RegistryHive hive);

 private:
  struct Node {
    std::string name;
    std::map<std::string, std::unique_ptr<Node>> children;                // by lower-case name
    std::map<std::string, std::pair<std::string, RegistryValue>> values;  // by lower-case name
  };
  class Key;
  friend class Key;

  Node* Find(RegistryHive hive, const std::string& path, bool create) const;
  void Put(RegistryHive hive, const std::string& path, const std::string& name,
           RegistryValue value);
  bool Write(RegistryHive hive, const std::string& path, const std::string& name,
             std::optional<RegistryValue> value);

  mutable std::mutex mutex_;
  std::unique_ptr<Node> current_user_;
  std::unique_ptr<Node> local_machine_;
  std::set<std::string> failing_values_;  // lower case
  std::set<std::string> failing_keys_;    // "HKCU\<path>", lower case
  std::vector<OpenCall> opens_;
  std::vector<WriteCall> writes_;
  CallJournal* journal_ = nullptr;
};

}  // namespace corvale::testing
