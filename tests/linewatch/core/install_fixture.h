// An installation directory of the monitor in a scratch folder, and a registry that names it,
// with the value types a test chooses.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <utility>

#include "linewatch/core/monitor_context.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "support/temp_dir.h"

namespace lwtest {

// Values under HKEY_LOCAL_MACHINE, each stored as a string or as another type.
class TypedRegistry : public platform::Registry {
 public:
  struct Value {
    std::string text;
    bool isString = true;
  };
  void Set(const std::string& key, const std::string& name, const std::string& text,
           bool isString = true) {
    keys_[key][name] = Value{text, isString};
  }
  void AddKey(const std::string& key) { keys_[key]; }
  std::unique_ptr<platform::RegistryKey> OpenLocalMachineKey(const std::string& subKey) override {
    auto it = keys_.find(subKey);
    if (it == keys_.end()) return nullptr;
    return std::make_unique<Key>(it->second);
  }

 private:
  class Key : public platform::RegistryKey {
   public:
    explicit Key(std::map<std::string, Value> values) : values_(std::move(values)) {}
    bool QueryValue(const std::string& name, std::string* value, std::size_t maxBytes) override {
      bool isString = false;
      return QueryStringValue(name, value, maxBytes, &isString);
    }
    bool QueryStringValue(const std::string& name, std::string* value, std::size_t maxBytes,
                          bool* isString) override {
      auto it = values_.find(name);
      if (it == values_.end() || it->second.text.size() >= maxBytes) return false;
      *value = it->second.text;
      *isString = it->second.isString;
      return true;
    }

   private:
    std::map<std::string, Value> values_;
  };
  std::map<std::string, std::map<std::string, Value>> keys_;
};

constexpr char kQuillonKey[] = "Software\\Quillon\\VoltSentry\\CurrentVersion";
constexpr char kBrennixKey[] = "Software\\Brennix\\VoltSentry\\CurrentVersion";

// logitem.ini of UPS 1 with six positions and cnt.
inline std::string LogItems(const std::string& cnt = "6") {
  return "[1]\r\n1=6\r\n2=7\r\n3=16\r\n4=40\r\n5=0\r\n6=39\r\n"
         "txt1=入力電圧[V]\r\ntxt2=周波数[Hz]\r\ntxt3=出力電圧[V]\r\ntxt4=負荷[%]\r\n"
         "txt5=時刻\r\ntxt6=インバータ電圧[V]\r\ntxtStatus=ステータス\r\ncnt=" +
         cnt + "\r\n";
}

// A scratch installation directory with upstab.ini (UPS 1) and logitem.ini.
struct InstallDir {
  vstest::TempDir dir;
  InstallDir() {
    dir.Write("upstab.ini", "[upstab]\r\nupsname=1\r\n");
    dir.Write("logitem.ini", LogItems());
  }
  // A context whose paths point into the directory.
  linewatch::MonitorContext Context() const {
    linewatch::MonitorContext context;
    context.installDir = dir.path();
    context.upstabPath = dir.File("upstab.ini");
    context.graphIniPath = dir.File("graph.ini");
    context.msgIniPath = dir.File("msg.ini");
    context.logitemIniPath = dir.File("logitem.ini");
    context.ststabPath = dir.File("ststab.txt");
    context.upsNumber = 1;
    context.upsSection = "1";
    context.targetHost = "upshost";
    context.localHostName = "upshost";
    return context;
  }
};

}  // namespace lwtest
