' A script host of LNSQuilletVexaProxy.dll: one whole session, late-bound by ProgID.
' Needs LNSQuilletVexaProxy.dll registered, and QuilletSimComponents.dll for the simulated device.
'     cscript //nologo session.vbs
Option Explicit
Dim failed : failed = 0
Sub Report(ok, what)
    If ok Then WScript.Echo "[ OK ] " & what Else WScript.Echo "[FAIL] " & what : failed = failed + 1
End Sub

' The simulated world: one plug-in with a workspace control, and a device that uses it.
Dim world, device, network, properties
Set world = CreateObject("QuilletSim.Control")
world.Reset
world.AddPlugin "QV.VBS.DEVICE", "", "QuilletSim.Workspace", True
world.AddFeature "QV.VBS.DEVICE", 1, "&Configure"
Set device = CreateObject("QuilletSim.AppDevice")
device.Name = "Script Node"
device.ProgramId = "QV.VBS.DEVICE"
Set network = CreateObject("QuilletSim.System")
Set properties = CreateObject("QuilletSim.Collection")

Dim server
Set server = CreateObject("LNSQuilletVexaProxy.IHalvernServer")
Report server.IsPlugInExist("QV.VBS.DEVICE"), "IsPlugInExist finds the device's plug-in"
Report server.StartApp(device, network, 3.2, True, "Script Display", "Script Node 1/1", properties, True), "StartApp returns True"
Report server.RunFullAppView() = -1, "RunFullAppView returns -1: the plug-in server took the device"
server.ExitApp

' A failure reaches the script as an error number and text.
On Error Resume Next
server.RunFullAppView
Report Err.Number = 91, "RunFullAppView after ExitApp: error " & Err.Number & " (" & Err.Description & ")"
On Error GoTo 0
WScript.Quit failed
