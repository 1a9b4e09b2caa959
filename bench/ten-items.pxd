<Design>
<DisplayItems>
	<DisplayItem>
		<Position X="0" Y="0" Width="10" Height="1"/>
		<Appearance Mode="Static" Allignment="Left"/>
		<Data Mode="Data" Name="CPU.Total"/>
	</DisplayItem>
	<DisplayItem>
		<Position X="10" Y="0" Width="10" Height="1"/>
		<Appearance Mode="Static" Allignment="Left"/>
		<Data Mode="Data" Name="CPU.Core0"/>
	</DisplayItem>
	<DisplayItem>
		<Position X="0" Y="1" Width="10" Height="1"/>
		<Appearance Mode="Static" Allignment="Left"/>
		<Data Mode="Data" Name="Load.1"/>
	</DisplayItem>
	<DisplayItem>
		<Position X="10" Y="1" Width="10" Height="1"/>
		<Appearance Mode="Static" Allignment="Left"/>
		<Data Mode="Data" Name="Load.5"/>
	</DisplayItem>
	<DisplayItem>
		<Position X="0" Y="2" Width="10" Height="1"/>
		<Appearance Mode="Static" Allignment="Left"/>
		<Data Mode="Data" Name="Load.15"/>
	</DisplayItem>
	<DisplayItem>
		<Position X="10" Y="2" Width="10" Height="1"/>
		<Appearance Mode="Static" Allignment="Left"/>
		<Data Mode="Data" Name="Memory.Used"/>
	</DisplayItem>
	<DisplayItem>
		<Position X="0" Y="3" Width="10" Height="1"/>
		<Appearance Mode="Static" Allignment="Left"/>
		<Data Mode="Data" Name="Memory.Free"/>
	</DisplayItem>
	<DisplayItem>
		<Position X="10" Y="3" Width="10" Height="1"/>
		<Appearance Mode="Static" Allignment="Left"/>
		<Data Mode="Data" Name="Memory.UsedPercent"/>
	</DisplayItem>
	<DisplayItem>
		<Position X="0" Y="0" Width="10" Height="1"/>
		<Appearance Mode="Static" Allignment="Left"/>
		<Data Mode="Data" Name="Swap.Used"/>
	</DisplayItem>
	<DisplayItem>
		<Position X="10" Y="0" Width="10" Height="1"/>
		<Appearance Mode="Static" Allignment="Left"/>
		<Data Mode="Data" Name="Network.All.Received"/>
	</DisplayItem>
</DisplayItems>
<Background FileName=""/>
</Design>
