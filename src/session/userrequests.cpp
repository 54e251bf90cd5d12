#include "session/userrequests.h"

UserRequests &UserRequests::instance()
{
    static UserRequests requests;
    return requests;
}
