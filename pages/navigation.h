#pragma once

#include <QString>

// What a page may ask of the program window around it. The frame implements it and hands it to
// the Locate page and to each console, and a console hands it on to its pages.
class INavigation
{
public:
    // Replaces the Locate page by a new console for the device; false when the model is not
    // ours or the console cannot be made (the program then ends).
    virtual bool OpenConsole(const QString& model, const QString& ipAddress,
                             const QString& subnetMask) = 0;
    // Back to the Locate page: the console goes out of sight but lives on.
    virtual void ShowLocatePage() = 0;
    virtual void CloseWizard() = 0;
    virtual void MinimizeWizard() = 0;

protected:
    ~INavigation() = default;
};
