// The corpus maker in a build without our engine: no data.mdb.
#include "bench/corpus_sinks.h"

namespace bench {

std::unique_ptr<CorpusSink> MakeMdbSink() { return nullptr; }

}  // namespace bench
