#pragma once
// Port: QueueStore. Adapter: platform/storage/sqlite_record_store.h (the records file keeps the
// queue beside the performances).
// Keeps a party's queue as it changes, so that a game closed or crashed comes back with the same
// queue and order. The game calls it from its records worker, never the window thread.

#include "party_queue.h"

namespace cantorix::party {

class QueueStore {
public:
    virtual ~QueueStore() = default;
    // The queue kept last; an empty one when none was. Throws the store's error when it cannot
    // be read.
    virtual KeptQueue loadQueue() = 0;
    // Replaces the kept queue with this one in one step.
    virtual void saveQueue(const KeptQueue& queue) = 0;
};

} // namespace cantorix::party
