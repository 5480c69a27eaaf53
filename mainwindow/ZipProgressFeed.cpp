#include "mainwindow/ZipProgressFeed.h"

#include <utility>

#include "catalogue/Progress.h"

namespace {

// The file-name part of a member name as the event gives it (its '/' turned into '\').
std::string MemberFileName(const std::string& name) {
  const size_t cut = name.find_last_of("/\\");
  return cut == std::string::npos ? name : name.substr(cut + 1);
}

}  // namespace

ZipProgressFeed::ZipProgressFeed(TZipArchiver& z, Progress& p, std::string v)
    : zip(z), progress(p), verb(std::move(v)), before(zip.OnProgress) {
  zip.OnProgress = [this](TZipArchiver* sender, ProgressType type, const std::string& name, std::int32_t size) {
    if (before) before(sender, type, name, size);
    Feed(type, name, size);
  };
}

ZipProgressFeed::~ZipProgressFeed() {
  EndBatch();
  zip.OnProgress = std::move(before);
}

void ZipProgressFeed::BeginBatch(std::int64_t bytes) {
  EndBatch();
  progress.Begin(verb + "...", bytes);
  inBatch = true;
  done = 0;
}

void ZipProgressFeed::EndBatch() {
  if (inBatch) progress.End();
  inBatch = false;
}

void ZipProgressFeed::Feed(ProgressType type, const std::string& name, std::int32_t size) {
  switch (type) {
    case ptByteCount:
      BeginBatch(size);
      break;
    case ptFileBegin:
      if (!inBatch) BeginBatch(0);  // an engine that gave no byte count: how far is not known
      progress.Advance(done, verb + ": " + MemberFileName(name));
      break;
    case ptBytesDone:
      done += size;
      if (inBatch) progress.Advance(done, "");
      break;
    case ptBatchEnd:
      EndBatch();
      break;
    case ptFileCount:
      break;
  }
  stopped = stopped || (inBatch && progress.Cancelled());
  if (stopped) zip.CancelRequested = true;
}
