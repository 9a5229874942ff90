#include "app/gameapp.h"

Media media;
