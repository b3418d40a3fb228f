#include "reportstepcontent.h"

namespace ReportStepContent {

namespace {

Provider& provider() {
    static Provider p;
    return p;
}

} // namespace

void setProvider(Provider p) {
    provider() = std::move(p);
}

Writer writerFor(const Context& context) {
    return provider() ? provider()(context) : Writer();
}

} // namespace ReportStepContent
