#include "app/gameapp.h"

// Contacts between fighters arrive with the combat rules.
void gameapp::resolveContacts() {}

// Every frame is a full time step until contacts can start slow motion.
void gameapp::updateSlowMotion() { speedFactor = 1.0f; }

// Frames need holding apart only while slow motion runs.
void gameapp::paceSlowMotion() {}
