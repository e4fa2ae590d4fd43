#include "engine/result_codes.h"

const ResultCodeRow ResultCodeTable[] = {
#define KIV_RESULT(code, id, text) {code, id},
#define KIV_STRING(id, text)
#include "messages.def"
#undef KIV_RESULT
#undef KIV_STRING
    {0, 0},
};

unsigned ResultCodeStringId(int code) {
  for (const ResultCodeRow* row = ResultCodeTable; row->code != 0; ++row) {
    if (row->code == code) return row->stringId;
  }
  return 0;
}
