// The alert sound that reports a gesture that could not be carried out.
#pragma once

namespace halvo {

class SystemSound {
public:
    virtual ~SystemSound() = default;
    virtual void beep() = 0;
};

} // namespace halvo
