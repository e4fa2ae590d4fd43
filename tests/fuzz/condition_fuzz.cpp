// Conditions: whole "a op b|c op d" texts through the evaluator, and one clause (cut as
// the field reader cuts it) through the clause parser and the comparison.
#include <cstdint>
#include <cstdlib>

#include "engine/arguments.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const ScriptContext* context = FuzzContext();
  auto text = HeapText(data, size);

  const int holds = EvaluateCondition(context, text.get());
  if (holds != 0 && holds != 1) std::abort();

  auto clause = HeapText(data, size < kPathChars - 1 ? size : kPathChars - 1);
  auto left = HeapBlock(kPathChars);
  auto op = HeapBlock(kOperatorChars);
  auto right = HeapBlock(kPathChars);
  if (ParseClause(clause.get(), left.get(), op.get(), right.get()) == 0) {
    ExpectTerminated(left.get(), kPathChars);
    ExpectTerminated(op.get(), kOperatorChars);
    ExpectTerminated(right.get(), kPathChars);
    if (IsComparisonOperator(op.get())) CompareOperands(left.get(), op.get(), right.get());
  }
  ParseVersionKey(clause.get());
  return 0;
}
