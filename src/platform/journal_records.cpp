#include "platform/journal_records.h"

#include <cstring>

namespace {

constexpr size_t kFrameBytes = 8;  // the length and the CRC-32, ahead of every record
constexpr uint32_t kMaxRecordBytes = 256u * 1024 * 1024;

void PutNumber(std::string* out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out->push_back(static_cast<char>((value >> shift) & 0xFF));
}

void PutText(std::string* out, const std::string& text) {
  PutNumber(out, static_cast<uint32_t>(text.size()));
  out->append(text);
}

// Reads from `bytes` at `*at`; every read checks what is left before it takes anything.
class Reader {
 public:
  Reader(const std::string& bytes, size_t at, size_t end) : bytes_(bytes), at_(at), end_(end) {}

  bool Number(uint32_t* value) {
    if (end_ - at_ < 4) return false;
    *value = 0;
    for (int i = 3; i >= 0; --i) *value = (*value << 8) | static_cast<unsigned char>(bytes_[at_ + static_cast<size_t>(i)]);
    at_ += 4;
    return true;
  }
  bool Byte(uint8_t* value) {
    if (end_ - at_ < 1) return false;
    *value = static_cast<uint8_t>(bytes_[at_++]);
    return true;
  }
  bool Text(std::string* text) {
    uint32_t size = 0;
    if (!Number(&size) || end_ - at_ < size) return false;
    text->assign(bytes_, at_, size);
    at_ += size;
    return true;
  }
  bool AtEnd() const { return at_ == end_; }

 private:
  const std::string& bytes_;
  size_t at_;
  size_t end_;
};

bool DecodeBody(const std::string& bytes, size_t at, size_t end, JournalRecord* record) {
  Reader reader(bytes, at, end);
  uint8_t kind = 0;
  if (!reader.Byte(&kind) || kind == 0 || kind > static_cast<uint8_t>(UndoKind::kLast)) return false;
  record->kind = static_cast<UndoKind>(kind);
  if (!reader.Number(&record->line) || !reader.Text(&record->command)) return false;
  for (std::string& text : record->text) {
    if (!reader.Text(&text)) return false;
  }
  for (uint32_t& number : record->number) {
    if (!reader.Number(&number)) return false;
  }
  return reader.Text(&record->data) && reader.AtEnd();
}

}  // namespace

uint32_t Crc32(const void* bytes, size_t size) {
  uint32_t crc = 0xFFFFFFFFu;
  const unsigned char* p = static_cast<const unsigned char*>(bytes);
  for (size_t i = 0; i < size; ++i) {
    crc ^= p[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

std::string EncodeRecord(const JournalRecord& record) {
  std::string body;
  body.push_back(static_cast<char>(record.kind));
  PutNumber(&body, record.line);
  PutText(&body, record.command);
  for (const std::string& text : record.text) PutText(&body, text);
  for (uint32_t number : record.number) PutNumber(&body, number);
  PutText(&body, record.data);
  std::string framed;
  PutNumber(&framed, static_cast<uint32_t>(body.size()));
  PutNumber(&framed, Crc32(body.data(), body.size()));
  return framed + body;
}

bool DecodeRecords(const std::string& bytes, std::vector<JournalRecord>* records) {
  records->clear();
  if (bytes.size() < kJournalMagicBytes || bytes.compare(0, kJournalMagicBytes, kJournalMagic) != 0) return false;
  size_t at = kJournalMagicBytes;
  while (bytes.size() - at >= kFrameBytes) {
    Reader frame(bytes, at, at + kFrameBytes);
    uint32_t size = 0, crc = 0;
    frame.Number(&size);
    frame.Number(&crc);
    const size_t body = at + kFrameBytes;
    if (size > kMaxRecordBytes || bytes.size() - body < size) break;  // torn
    if (Crc32(bytes.data() + body, size) != crc) break;                // damaged
    JournalRecord record;
    if (!DecodeBody(bytes, body, body + size, &record)) break;
    records->push_back(record);
    at = body + size;
  }
  return true;
}

std::string EncodeRegTree(const std::vector<RegTreeEntry>& entries) {
  std::string out;
  for (const RegTreeEntry& entry : entries) {
    out.push_back(entry.isKey ? 'K' : 'V');
    PutText(&out, entry.name);
    if (entry.isKey) continue;
    PutNumber(&out, entry.type);
    PutText(&out, entry.data);
  }
  return out;
}

bool DecodeRegTree(const std::string& bytes, std::vector<RegTreeEntry>* entries) {
  entries->clear();
  Reader reader(bytes, 0, bytes.size());
  while (!reader.AtEnd()) {
    RegTreeEntry entry;
    uint8_t tag = 0;
    if (!reader.Byte(&tag) || (tag != 'K' && tag != 'V') || !reader.Text(&entry.name)) return false;
    entry.isKey = tag == 'K';
    if (!entry.isKey && (!reader.Number(&entry.type) || !reader.Text(&entry.data))) return false;
    entries->push_back(entry);
  }
  return true;
}
