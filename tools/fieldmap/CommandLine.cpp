#include "CommandLine.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "FieldmapError.h"

CommandLine::CommandLine(std::vector<OptionSpec> options, int maxPositionals)
    : options_(std::move(options)), maxPositionals_(maxPositionals) {}

const OptionSpec* CommandLine::Find(const std::string& name) const {
  for (const OptionSpec& option : options_)
    if (option.name == name) return &option;
  return nullptr;
}

void CommandLine::Store(const OptionSpec& option, const std::string& value) {
  std::vector<std::string>& stored = values_[option.name];
  if (!stored.empty() && !option.repeatable)
    throw FieldmapError::Usage("--" + option.name + " given more than once");
  stored.push_back(value);
}

void CommandLine::Parse(const std::vector<std::string>& arguments) {
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--help" || argument == "-h") {
      help_ = true;
      continue;
    }
    if (argument.size() < 2 || argument.compare(0, 2, "--") != 0 || argument == "--") {
      if (static_cast<int>(positionals_.size()) >= maxPositionals_)
        throw FieldmapError::Usage("unexpected argument '" + argument + "'");
      positionals_.push_back(argument);
      continue;
    }
    const std::size_t equals = argument.find('=');
    const std::string name =
        argument.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
    const OptionSpec* option = Find(name);
    if (!option) throw FieldmapError::Usage("unknown option '--" + name + "'");
    if (!option->takesValue) {
      if (equals != std::string::npos) throw FieldmapError::Usage("--" + name + " takes no value");
      Store(*option, "");
    } else if (equals != std::string::npos) {
      Store(*option, argument.substr(equals + 1));
    } else {
      if (i + 1 >= arguments.size()) throw FieldmapError::Usage("--" + name + " needs a value");
      Store(*option, arguments[++i]);
    }
  }
}

std::string CommandLine::Canonical(const std::vector<std::string>& except) const {
  std::string text;
  for (const auto& [name, values] : values_) {
    if (std::find(except.begin(), except.end(), name) != except.end()) continue;
    for (const std::string& value : values) text += "--" + name + "=" + value + "\n";
  }
  for (const std::string& positional : positionals_) text += positional + "\n";
  return text;
}

bool CommandLine::Has(const std::string& name) const { return values_.count(name) != 0; }

std::string CommandLine::Value(const std::string& name, const std::string& fallback) const {
  const auto found = values_.find(name);
  return found == values_.end() ? fallback : found->second.back();
}

int CommandLine::IntValue(const std::string& name, int fallback) const {
  if (!Has(name)) return fallback;
  const std::string text = Value(name);
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno == ERANGE || value < -2147483647L ||
      value > 2147483647L)
    throw FieldmapError::Usage("--" + name + " needs a whole number, not '" + text + "'");
  return static_cast<int>(value);
}

double CommandLine::DoubleValue(const std::string& name, double fallback) const {
  if (!Has(name)) return fallback;
  const std::string text = Value(name);
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || errno == ERANGE || !std::isfinite(value))
    throw FieldmapError::Usage("--" + name + " needs a number, not '" + text + "'");
  return value;
}

std::vector<std::string> CommandLine::Values(const std::string& name) const {
  const auto found = values_.find(name);
  return found == values_.end() ? std::vector<std::string>{} : found->second;
}
