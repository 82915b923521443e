#include "myabout_tables.h"

namespace about {

namespace {

const char* const kLegalNotice[9] = {
    "This program is protected by",
    "copyright law and international",
    "treaties. Unauthorised copying",
    "or distribution of this program,",
    "or of any part of it, may result",
    "in severe civil and criminal",
    "penalties, and will be pursued",
    "to the maximum extent possible",
    "under the law.",
};

const char* const kRoles[] = {
    "Requirement Engineering", "Quality Engineering", "Testing", "Software Architecture",
    "Project Management", "Product Management", "User Interface Design", "User Research",
    "Graphic Design", "Icon Design", "Technical Writing", "Documentation",
    "Translation", "Localization", "Release Management", "Build Engineering",
    "Continuous Integration", "Packaging", "Installation", "Code Review",
    "Security Review", "Privacy Review", "Accessibility", "Performance Tuning",
    "Memory Profiling", "Static Analysis", "Fuzz Testing", "Unit Testing",
    "Integration Testing", "System Testing", "Acceptance Testing", "Regression Testing",
    "Usability Testing", "Beta Testing", "Test Automation", "Test Data",
    "Bug Triage", "Issue Tracking", "Support", "Customer Care",
    "Training", "Tutorials", "Help Desk", "Speech Recognition",
    "Speech Synthesis", "Audio Engineering", "Voice Recording", "DICOM Reading",
    "DICOM Writing", "Transfer Syntaxes", "Image Rendering", "Lossless JPEG",
    "RLE Decoding", "Colour Spaces", "Palette Colour", "Greyscale Scaling",
    "Image Preview", "File Browsing", "Header Summary", "Comment Editing",
    "Link Buttons", "About Box", "Splash Screen", "Credits Scroller",
    "Language Support", "String Tables", "Fonts", "Cursors",
    "Keyboard Handling", "Mouse Handling", "Focus Handling", "Timers",
    "Error Handling", "Error Messages", "Crash Analysis", "Debugging",
    "Refactoring", "Code Style", "Version Control",
    "Branch Management", "Infrastructure", "Servers",
    "Network Administration", "Web Site", "Web Design", "Web Hosting",
    "Mailing Lists", "Forum Moderation", "Community Management", "Social Media",
    "Marketing", "Sales", "Licensing", "Legal Advice",
    "Contracts", "Accounting", "Finance", "Controlling",
    "Purchasing", "Administration", "Office Management", "Human Resources",
    "Recruiting", "Facility Management", 
    "Travel Planning", "Events", "Trade Fairs", "Conferences",
    "Public Relations", "Press Releases", "Photography", "Video Production",
    "Screenshots", "Sound Effects", "Music", "Medical Advice",
    "Radiology Consulting", "Clinical Workflow", "Hospital Liaison", "Standards Liaison",
    "Regulatory Affairs", "Risk Management", "Compliance", "Data Protection",
    "Archiving", "Hardware Testing", "Compatibility Testing", "Display Calibration",
    "Microphone Testing", "Headset Testing", "Field Testing", "Pilot Users",
    "Feedback Collection", "Feature Requests", "Roadmap", "Planning",
    "Estimation", "Scheduling", "Metrics", "Statistics",
    "Process Improvement", "Presentations", "Newsletter",
};
static_assert(sizeof(kRoles) / sizeof(kRoles[0]) == 143, "the credits list 143 roles");

}  // namespace

std::span<const char* const> LegalNotice() { return kLegalNotice; }
std::span<const char* const> CreditRoles() { return kRoles; }

}  // namespace about
