// A system colour scheme that tests set by hand.
#pragma once

#include "MorvendaApp/shell/SystemColorScheme.h"

class FakeSystemColorScheme : public SystemColorScheme
{
public:
    explicit FakeSystemColorScheme(ColorScheme scheme)
        : m_scheme(scheme)
    {
    }

    ColorScheme colorScheme() const override { return m_scheme; }

    void set(ColorScheme scheme)
    {
        m_scheme = scheme;
        emit colorSchemeChanged(scheme);
    }

private:
    ColorScheme m_scheme;
};
