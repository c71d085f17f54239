#include "app/e_AppServices.h"

TAppServices* AppServices = nullptr;
