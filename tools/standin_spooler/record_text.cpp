// The stand-in spooler's record texts.
#include "tools/standin_spooler/record_text.h"

namespace standin_spooler {

std::string OptionsText(const std::optional<RequestedOptions>& options) {
  if (!options) return "none";
  std::string text = "version ";
  text += std::to_string(options->version);
  text += " flags ";
  text += std::to_string(options->flags);
  for (const RequestedType& type : options->types) {
    if (type.type == kJobType) {
      text += " job(";
    } else if (type.type == kPrinterType) {
      text += " printer(";
    } else {
      text += " type";
      text += std::to_string(type.type);
      text += "(";
    }
    for (std::size_t i = 0; i < type.fields.size(); ++i) {
      if (i > 0) text += " ";
      text += std::to_string(type.fields[i]);
    }
    text += ")";
  }
  return text;
}

std::string FetchText(const FetchAnswer& answer, int info_number) {
  std::string step = "step ";
  step += std::to_string(answer.step);
  if (answer.refetch) step += " refetch";
  std::string info = "TRUE info #";
  info += std::to_string(info_number);
  info += " (";
  switch (answer.kind) {
    case FetchKind::kFails:
      return "FALSE (" + step + (answer.stops_registration ? ", the spooler restarts)" : ")");
    case FetchKind::kNoInfo:
      return "TRUE no information (" + step + ")";
    case FetchKind::kInfo: {
      const std::size_t count = answer.fetch->entries.size();
      info += step;
      info += ", ";
      info += std::to_string(count);
      info += count == 1 ? " entry" : " entries";
      if (answer.fetch->discarded) info += ", discarded";
      return info + ")";
    }
    case FetchKind::kUnsignaled:
      break;
  }
  return info + "FAULT: no change was signalled)";
}

std::string Quoted(const std::string& name) {
  return "\"" + name + "\"";
}

}  // namespace standin_spooler
