#include "platform/app.h"

const PlatformAppOps* g_app_platform = nullptr;
