#pragma once

#include <map>
#include <string>
#include <vector>

// One option a command accepts: "--name" alone (a flag) or "--name VALUE" / "--name=VALUE".
struct OptionSpec {
  std::string name;
  bool takesValue = false;
  bool repeatable = false;
};

// The arguments of one command after its name: options checked against the command's table,
// positional arguments counted against its limit. Owns the parsed values; any mistake is a usage
// error naming the argument, so a typo never silently changes what runs.
class CommandLine {
 public:
  CommandLine(std::vector<OptionSpec> options, int maxPositionals);

  void Parse(const std::vector<std::string>& arguments);

  bool HelpRequested() const { return help_; }
  bool Has(const std::string& name) const;
  // The option's value, or fallback when it was not given.
  std::string Value(const std::string& name, const std::string& fallback = "") const;
  // The option's value converted to an integer; a usage error when it is not one.
  int IntValue(const std::string& name, int fallback) const;
  // The option's value converted to a finite number; a usage error when it is not one.
  double DoubleValue(const std::string& name, double fallback) const;
  std::vector<std::string> Values(const std::string& name) const;
  const std::vector<std::string>& Positionals() const { return positionals_; }
  // The options and positional arguments as parsed, one per line in a fixed order, leaving out
  // the options named in `except`: two command lines that run alike give the same text.
  std::string Canonical(const std::vector<std::string>& except) const;

 private:
  const OptionSpec* Find(const std::string& name) const;
  void Store(const OptionSpec& option, const std::string& value);

  std::vector<OptionSpec> options_;
  int maxPositionals_;
  bool help_ = false;
  std::map<std::string, std::vector<std::string>> values_;
  std::vector<std::string> positionals_;
};
