' A script host of LNSQuilletVexaProxy.dll: creates the class by its ProgID and drives it late-bound,
' passing variables the way scripts do (by reference, as variants).
'
' On Windows or under Wine, after registering the DLL (and, for the session part, the simulated
' components QuilletSimComponents.dll from the same build folder, which register per user only):
'     regsvr32 LNSQuilletVexaProxy.dll
'     regsvr32 /n /i:user QuilletSimComponents.dll
'     cscript //nologo host.vbs
' (Wine's COM does not read per-user classes: tools/windows/windows.sh copies them into its
' private prefix's machine part.)
Option Explicit

Dim passed, failed, skipped
passed = 0
failed = 0
skipped = 0

Sub Check(ok, what)
    If ok Then
        passed = passed + 1
        WScript.Echo "[ OK ] " & what
    Else
        failed = failed + 1
        WScript.Echo "[FAIL] " & what
    End If
End Sub

Sub Skip(what)
    skipped = skipped + 1
    WScript.Echo "[SKIP] " & what
End Sub

Function ErrorText(number, description)
    ErrorText = "error &H" & Hex(number) & " (" & description & ")"
End Function

Dim exits, insideExitApp, exitsInside
exits = 0
exitsInside = 0
insideExitApp = False

Sub Server_OnAppExit()
    exits = exits + 1
    If insideExitApp Then exitsInside = exitsInside + 1
End Sub

Dim server
Set server = CreateObject("LNSQuilletVexaProxy.IHalvernServer")
Check IsObject(server), "CreateObject(""LNSQuilletVexaProxy.IHalvernServer"")"

' Failures a script sees, before anything was started.
Dim number, description, result
On Error Resume Next
result = server.RunFullAppView()
number = Err.Number
description = Err.Description
Err.Clear
On Error GoTo 0
WScript.Echo "       RunFullAppView before StartApp: " & ErrorText(number, description)
Check number <> 0 And description <> "", "RunFullAppView before StartApp fails with a description"

On Error Resume Next
result = server.IsPlugInExist()
number = Err.Number
Err.Clear
On Error GoTo 0
Check number = 450, "IsPlugInExist without its argument: " & ErrorText(number, "wrong number of arguments")

Dim noDevice, noSystem, noCollection
Set noDevice = Nothing
Set noSystem = Nothing
Set noCollection = Nothing
On Error Resume Next
result = server.StartApp(noDevice, noSystem, "three point two", True, "x", "y", noCollection, True)
number = Err.Number
Err.Clear
On Error GoTo 0
Check number = 13, "StartApp with text for the version: " & ErrorText(number, "type mismatch")

' The simulated components stand in for the LNS object server and the plug-in server.
Dim sim, haveSim
On Error Resume Next
Set sim = CreateObject("QuilletSim.Control")
haveSim = (Err.Number = 0)
Err.Clear
On Error GoTo 0

Dim programId, unknownId
programId = "QV.SCRIPT.DEVICE"
unknownId = "QV.NO.SUCH.DEVICE"
Check server.IsPlugInExist(unknownId) = False, "IsPlugInExist(variable) is False for a program without plug-in"
Check server.IsPlugInExist("QV.LITERAL.DEVICE") = False, "IsPlugInExist(literal) is False for a program without plug-in"

If Not haveSim Then
    Skip "the session: the simulated components (QuilletSimComponents.dll) are not registered"
Else
    sim.Reset
    sim.AddPlugin programId, "", "QuilletSim.Workspace", True
    sim.AddFeature programId, 1, "&Configure"
    sim.AddFeature programId, 2, "&Test"
    Check server.IsPlugInExist(programId) = True, "IsPlugInExist(variable) is True for the simulated plug-in"

    Dim device, system, cps
    Set device = CreateObject("QuilletSim.AppDevice")
    device.Name = "Script Node"
    device.ProgramId = programId
    Set system = CreateObject("QuilletSim.System")
    Set cps = CreateObject("QuilletSim.Collection")

    ' Events: WScript.ConnectObject is refused by some script hosts (Wine's among them).
    Dim connected
    On Error Resume Next
    WScript.ConnectObject server, "Server_"
    number = Err.Number
    description = Err.Description
    Err.Clear
    On Error GoTo 0
    connected = (number = 0)
    If Not connected Then
        WScript.Echo "       WScript.ConnectObject: " & ErrorText(number, description)
        Check number = 445, "WScript.ConnectObject is refused as ""Object doesn't support this action"""
    End If

    Dim version, ft2, plugInDescription, address, lnspi, started, opened, again
    version = 3.2
    ft2 = True
    plugInDescription = "Quillet Script Display"
    address = "Script Node 1/5"
    lnspi = True
    started = server.StartApp(device, system, version, ft2, plugInDescription, address, cps, lnspi)
    Check started = True, "StartApp with variables returns True"
    Check version = 3.2 And ft2 = True And plugInDescription = "Quillet Script Display" And IsObject(device), _
        "StartApp leaves the script's variables as they were"

    opened = server.RunFullAppView()
    Check opened = -1, "RunFullAppView returns " & opened & " (the plug-in server took the device)"

    insideExitApp = True
    server.ExitApp
    insideExitApp = False
    If connected Then
        Check exits = 1 And exitsInside = 1, "OnAppExit arrived once, inside ExitApp"
    Else
        Skip "OnAppExit: the script host cannot connect to events"
    End If
    server.ExitApp
    If connected Then Check exits = 1, "a second ExitApp raises nothing"

    again = server.StartApp(device, system, version, ft2, plugInDescription, address, cps, lnspi)
    Check again = False, "a second StartApp returns False"

    On Error Resume Next
    result = server.RunFullAppView()
    number = Err.Number
    Err.Clear
    On Error GoTo 0
    Check number <> 0, "RunFullAppView after ExitApp fails"
End If

Set server = Nothing
If skipped > 0 Then
    WScript.Echo "host.vbs: " & passed & " passed, " & failed & " failed, " & skipped & " skipped"
Else
    WScript.Echo "host.vbs: " & passed & " passed, " & failed & " failed"
End If
WScript.Quit failed
