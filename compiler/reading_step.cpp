// The reading step: the line source, then the train source, with the one handler of the run-time
// failures met while reading.
#include "compiler/checked_math.h"
#include "compiler/error_codes.h"
#include "compiler/source_files.h"
#include "compiler/source_reading.h"

Status memorizza_dati(const CompileOptions& options, Compilation* out) {
  const SourceFiles sources(options);
  ReadingContext context{options, sources, *out};
  FailurePlace failure;
  try {
    LineHandOver hand_over;
    if (!read_line_source(context, &hand_over, &failure)) return Status::Ok();
    read_train_source(context, hand_over, &failure);
  } catch (const SourceFileFault& fault) {
    return fault.status;
  } catch (const RunTimeFailure& what) {
    // The one handler of the reading step: whatever failed, both sources go and the reading
    // ends with error 25. Every source is read whole, so no file is left open.
    ProblemLog& log = out->log;
    log.failure_message = what.what();
    log.failure_text = what.message();
    log.failure_values = what.values();
    log.failure_named = what.named();
    log.error.set(kRunTimeFailure);
    Problem& problem = log.record(failure.source, failure.offset, false);
    problem.row_offset = failure.row_offset;
    problem.row = failure.row;
    try {
      sources.discard_both();
    } catch (const SourceFileFault& fault) {
      return fault.status;
    }
  }
  return Status::Ok();
}
