// The switches of what the runtime shows, sounds and waits for.
#include "runtime/presentation.h"

namespace {

Presentation current;

}  // namespace

void setPresentation(const Presentation& presentation) { current = presentation; }

const Presentation& presentation() { return current; }

Unseen::Unseen() : saved_(current) { current = Presentation{false, false, false}; }

Unseen::~Unseen() { current = saved_; }
