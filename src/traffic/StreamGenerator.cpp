#include "traffic/StreamGenerator.h"

namespace qv::sim {

uint64_t GenerateStream(const GeneratorOptions& options, std::vector<uint8_t>& out) {
    LineTraffic traffic(options.traffic);
    StreamEncoder encoder(options.traffic.protocol, options.firstDay);
    // Filler lengths come from their own sequence so that switching fillers
    // on or off leaves the line history unchanged.
    TrafficRandom fillers(options.traffic.seed ^ 0xF111E4ULL);
    const LineEvent first = traffic.Next();  // the line state at the start
    encoder.Begin(out, first.time, first.value);
    for (uint64_t i = 0; i < options.events; ++i) {
        encoder.Add(out, traffic.Next());
        if (fillers.OneIn(options.fillerOneIn))
            encoder.AddFiller(out, static_cast<uint32_t>(fillers.Range(0, options.fillerMaxBytes)));
    }
    if (options.noticeAtEnd) encoder.AddNotice(out);
    return encoder.DataItems();
}

}  // namespace qv::sim
