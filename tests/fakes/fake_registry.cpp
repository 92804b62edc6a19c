// The in-memory registry.
#include "tests/fakes/fake_registry.h"

#include "common/text.h"
#include "tests/fakes/call_journal.h"

namespace corvale::testing {

namespace {

std::vector<std::string> SplitPath(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : path) {
    if (c == '\\') {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

std::string JoinPath(const std::vector<std::string>& parts) {
  std::string path;
  for (const std::string& part : parts) path += (path.empty() ? "" : "\\") + part;
  return path;
}

std::string Lower(const std::string& text) {
  return varnell::ToLowerAscii(text);
}

}  // namespace

// An open key: it names its key by path, so that it sees the registry as it is at each call.
class FakeRegistry::Key : public RegistryKey {
 public:
  Key(FakeRegistry& registry, RegistryHive hive, std::string path)
      : registry_(registry), hive_(hive), path_(std::move(path)) {}

  std::vector<std::string> SubKeyNames() override { return registry_.SubKeys(hive_, path_); }

  std::optional<RegistryValue> GetValue(const std::string& name) override {
    return registry_.Value(hive_, path_, name);
  }

  bool SetString(const std::string& name, const std::string& text) override {
    return registry_.Write(hive_, path_, name, RegistryValue{RegistryValueKind::kString, text, 0});
  }

  bool SetDword(const std::string& name, uint32_t value) override {
    return registry_.Write(hive_, path_, name, RegistryValue{RegistryValueKind::kDword, "", value});
  }

  bool DeleteValue(const std::string& name) override {
    return registry_.Write(hive_, path_, name, std::nullopt);
  }

 private:
  FakeRegistry& registry_;
  RegistryHive hive_;
  std::string path_;
};

FakeRegistry::FakeRegistry()
    : current_user_(std::make_unique<Node>()), local_machine_(std::make_unique<Node>()) {}

FakeRegistry::~FakeRegistry() = default;

std::string FakeRegistry::HiveName(RegistryHive hive) {
  return hive == RegistryHive::kCurrentUser ? "HKCU" : "HKLM";
}

FakeRegistry::Node* FakeRegistry::Find(RegistryHive hive, const std::string& path,
                                       bool create) const {
  Node* node = hive == RegistryHive::kCurrentUser ? current_user_.get() : local_machine_.get();
  for (const std::string& part : SplitPath(path)) {
    auto it = node->children.find(Lower(part));
    if (it == node->children.end()) {
      if (!create) return nullptr;
      auto child = std::make_unique<Node>();
      child->name = part;
      it = node->children.emplace(Lower(part), std::move(child)).first;
    }
    node = it->second.get();
  }
  return node;
}

void FakeRegistry::CreateKey(RegistryHive hive, const std::string& path) {
  std::lock_guard lock(mutex_);
  Find(hive, path, true);
}

void FakeRegistry::Put(RegistryHive hive, const std::string& path, const std::string& name,
                       RegistryValue value) {
  std::lock_guard lock(mutex_);
  Find(hive, path, true)->values[Lower(name)] = {name, std::move(value)};
}

void FakeRegistry::PutString(RegistryHive hive, const std::string& path, const std::string& name,
                             const std::string& text) {
  Put(hive, path, name, {RegistryValueKind::kString, text, 0});
}

void FakeRegistry::PutExpandString(RegistryHive hive, const std::string& path,
                                   const std::string& name, const std::string& text) {
  Put(hive, path, name, {RegistryValueKind::kExpandString, text, 0});
}

void FakeRegistry::PutDword(RegistryHive hive, const std::string& path, const std::string& name,
                            uint32_t value) {
  Put(hive, path, name, {RegistryValueKind::kDword, "", value});
}

void FakeRegistry::PutOther(RegistryHive hive, const std::string& path, const std::string& name) {
  Put(hive, path, name, {RegistryValueKind::kOther, "", 0});
}

bool FakeRegistry::KeyExists(RegistryHive hive, const std::string& path) const {
  std::lock_guard lock(mutex_);
  return Find(hive, path, false) != nullptr;
}

std::optional<RegistryValue> FakeRegistry::Value(RegistryHive hive, const std::string& path,
                                                 const std::string& name) const {
  std::lock_guard lock(mutex_);
  const Node* node = Find(hive, path, false);
  if (!node) return std::nullopt;
  auto it = node->values.find(Lower(name));
  if (it == node->values.end()) return std::nullopt;
  return it->second.second;
}

std::vector<std::string> FakeRegistry::ValueNames(RegistryHive hive,
                                                  const std::string& path) const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> names;
  if (const Node* node = Find(hive, path, false)) {
    for (const auto& [lower, value] : node->values) names.push_back(value.first);
  }
  return names;
}

std::vector<std::string> FakeRegistry::SubKeys(RegistryHive hive, const std::string& path) const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> names;
  if (const Node* node = Find(hive, path, false)) {
    for (const auto& [lower, child] : node->children) names.push_back(child->name);
  }
  return names;
}

std::vector<FakeRegistry::OpenCall> FakeRegistry::Opens() const {
  std::lock_guard lock(mutex_);
  return opens_;
}

std::vector<FakeRegistry::WriteCall> FakeRegistry::Writes() const {
  std::lock_guard lock(mutex_);
  return writes_;
}

std::vector<FakeRegistry::WriteCall> FakeRegistry::WritesUnder(RegistryHive hive,
                                                               const std::string& path) const {
  const std::string prefix = Lower(JoinPath(SplitPath(path)));
  std::vector<WriteCall> found;
  for (const WriteCall& write : Writes()) {
    const std::string key = Lower(write.path);
    if (write.hive == hive &&
        (key == prefix || (key.size() > prefix.size() && key.rfind(prefix + "\\", 0) == 0)))
      found.push_back(write);
  }
  return found;
}

void FakeRegistry::ClearRecords() {
  std::lock_guard lock(mutex_);
  opens_.clear();
  writes_.clear();
}

void FakeRegistry::Reset() {
  std::lock_guard lock(mutex_);
  current_user_ = std::make_unique<Node>();
  local_machine_ = std::make_unique<Node>();
  failing_values_.clear();
  failing_keys_.clear();
  opens_.clear();
  writes_.clear();
}

void FakeRegistry::FailWritesOf(const std::string& value_name) {
  std::lock_guard lock(mutex_);
  failing_values_.insert(Lower(value_name));
}

void FakeRegistry::FailOpenOf(RegistryHive hive, const std::string& path) {
  std::lock_guard lock(mutex_);
  failing_keys_.insert(Lower(HiveName(hive) + "\\" + JoinPath(SplitPath(path))));
}

std::unique_ptr<RegistryKey> FakeRegistry::OpenKey(RegistryHive hive, const std::string& path,
                                                   uint32_t access, bool create) {
  const std::string normal = JoinPath(SplitPath(path));
  std::lock_guard lock(mutex_);
  bool opened = !failing_keys_.count(Lower(HiveName(hive) + "\\" + normal)) &&
                Find(hive, normal, create) != nullptr;
  opens_.push_back({hive, normal, access, create, opened});
  if (!opened) return nullptr;
  return std::make_unique<Key>(*this, hive, normal);
}

bool FakeRegistry::Write(RegistryHive hive, const std::string& path, const std::string& name,
                         std::optional<RegistryValue> value) {
  std::lock_guard lock(mutex_);
  Node* node = Find(hive, path, false);
  bool ok = node != nullptr && !failing_values_.count(Lower(name));
  if (ok && !value) ok = node->values.erase(Lower(name)) > 0;
  if (ok && value) node->values[Lower(name)] = {name, *value};
  writes_.push_back({hive, path, name, value, ok});
  if (journal_) {
    journal_->Add(std::string("registry ") + (value ? "set " : "delete ") + HiveName(hive) + "\\" +
                  path + "\\" + name + (ok ? "" : " (failed)"));
  }
  return ok;
}

}  // namespace corvale::testing
