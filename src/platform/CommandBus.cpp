#include "platform/CommandBus.h"

namespace pintora {

CommandBus& CommandBus::shared() {
    static CommandBus bus;
    return bus;
}

} // namespace pintora
